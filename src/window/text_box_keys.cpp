// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

// The keys of a text box at the screen's own breaks, which are no place in the text.
#include "window/text_box.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace {

// The keys that move or delete across a screen break, and how the cursor steps over it first.
struct StepKey
{
    QKeySequence::StandardKey key;
    QTextCursor::MoveOperation step;
    QTextCursor::MoveMode mode;
};

constexpr StepKey stepKeys[] = {
    {QKeySequence::MoveToNextChar, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextWord, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::Delete, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::DeleteEndOfWord, QTextCursor::NextCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::SelectNextChar, QTextCursor::NextCharacter, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextWord, QTextCursor::NextCharacter, QTextCursor::KeepAnchor},
    {QKeySequence::MoveToPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousWord, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::Backspace, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::DeleteStartOfWord, QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor},
    {QKeySequence::SelectPreviousChar, QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousWord, QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor},
};

bool matches(const QKeyEvent *event, QKeySequence::StandardKey key)
{
    // Qt binds Backspace to no standard key on most systems and takes the key itself, with or
    // without Shift, as its own text control does.
    if (key == QKeySequence::Backspace) {
        const Qt::KeyboardModifiers others = Qt::ShiftModifier | Qt::GroupSwitchModifier;
        return event->key() == Qt::Key_Backspace && !(event->modifiers() & ~others);
    }
    return event->matches(key);
}

bool atScreenBreak(const QTextCursor &cursor, QTextCursor::MoveOperation step)
{
    if (step == QTextCursor::NextCharacter)
        return cursor.atBlockEnd() && TextBox::isScreenBreak(cursor.block().next());
    return cursor.atBlockStart() && TextBox::isScreenBreak(cursor.block());
}

} // namespace

// Both sides of a screen break are one place in the line. A key that moves or deletes across it
// steps over it first, so that it acts on the character beyond, as in a line never cut: Backspace
// at the start of a piece deletes the character before it, and the cursor crosses in one step.
void TextBox::stepOverScreenBreak(QKeyEvent *event)
{
    const auto key = std::find_if(std::begin(stepKeys), std::end(stepKeys),
                                  [event](const StepKey &key) { return matches(event, key.key); });
    QTextCursor cursor = textCursor();
    if (key == std::end(stepKeys)
        || (cursor.hasSelection() && key->mode == QTextCursor::MoveAnchor))
        return; // a selection is moved or deleted as a whole
    if (!atScreenBreak(cursor, key->step))
        return;
    while (atScreenBreak(cursor, key->step))
        cursor.movePosition(key->step, key->mode);
    setTextCursor(cursor);
}
