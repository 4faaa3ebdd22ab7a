// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/text_box.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QStringTokenizer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// A break the box makes only for the screen is a paragraph separator whose character format has
// this object type. The mark lives on the separator itself, so undo and redo bring it back with
// it and a deletion takes it away with it; and Qt's cursor drops the object type from the format
// that it hands on to typed text and to a new paragraph, so a break the user types, and the
// characters around it, never carry it.
constexpr int screenBreak = QTextFormat::UserObject + 1;

// Each line end is one '\n': CR LF, a lone CR or LF in any run, and the characters at which the
// document itself would start a paragraph, so that no paragraph comes where the cutting did not
// put one.
QString withNewlines(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QChar paragraph :
         {QChar(u'\r'), QChar(QChar::ParagraphSeparator), QChar(u'\uFDD0'), QChar(u'\uFDD1')})
        plain.replace(paragraph, u'\n');
    return plain;
}

// Where the lines of a text whose only line ends are '\n' are cut for the screen: every
// maxBlockLength characters, never between the two halves of one character.
QList<qsizetype> screenBreaks(QStringView text)
{
    QList<qsizetype> breaks;
    qsizetype lineStart = 0;
    for (const QStringView line : qTokenize(text, u'\n')) {
        for (qsizetype at = 0; line.size() - at > TextBox::maxBlockLength;) {
            at += TextBox::maxBlockLength;
            if (line[at].isLowSurrogate())
                --at;
            breaks.append(lineStart + at);
        }
        lineStart += line.size() + 1;
    }
    return breaks;
}

QTextCharFormat screenBreakFormat()
{
    QTextCharFormat mark;
    mark.setObjectType(screenBreak);
    return mark;
}

// Inserts a text whose only line ends are '\n' at the cursor, its long lines cut for the screen.
void insertInPieces(QTextCursor &cursor, const QString &text)
{
    qsizetype at = 0;
    for (const qsizetype cut : screenBreaks(text)) {
        cursor.insertText(text.sliced(at, cut - at));
        cursor.insertBlock(cursor.blockFormat(), screenBreakFormat());
        at = cut;
    }
    cursor.insertText(text.sliced(at));
}

// Cuts the paragraphs from the one at from to the one at to where an edit has made them longer
// than maxBlockLength: text that lands in a line, typed, pasted, dropped or composed, and a
// deletion that joins two pieces. Every piece but a line's last stays maxBlockLength long.
void cutLongBlocks(QTextCursor &cursor, int from, int to)
{
    const QTextDocument *doc = cursor.document();
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        while (block.length() - 1 > TextBox::maxBlockLength) {
            int at = block.position() + TextBox::maxBlockLength;
            if (doc->characterAt(at).isLowSurrogate())
                --at;
            cursor.setPosition(at);
            cursor.insertBlock(cursor.blockFormat(), screenBreakFormat());
            block = cursor.block();
            ++to;
        }
    }
}

} // namespace

bool TextBox::isScreenBreak(const QTextBlock &block)
{
    return block.isValid() && block.charFormat().objectType() == screenBreak;
}

TextBox::TextBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    // Tab moves on through the window's tab order, as in a dialog, instead of typing a tab.
    setTabChangesFocus(true);
}

QString TextBox::text() const
{
    return textBetween(0, document()->characterCount() - 1, u"\r\n");
}

void TextBox::setText(const QString &text)
{
    // Left to itself, setPlainText() would pair up a CR with an LF that follows, and turn CR CR LF
    // into one break. New text starts a new history: undo never brings back the old one.
    setPlainText(QString());
    QTextDocument *doc = document();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    insertInPieces(cursor, withNewlines(text));
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(true);
    moveCursor(QTextCursor::Start);
}

QMimeData *TextBox::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    auto *data = new QMimeData;
    data->setText(textBetween(selection.selectionStart(), selection.selectionEnd(), u"\n"));
    return data;
}

void TextBox::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly())
        return;
    // Reading the clipboard can hand control to its owner, which may change it meanwhile, and Qt
    // then frees source: it is read once, here, and never touched again.
    const QString text = withNewlines(source->text());
    if (text.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock(); // one step for undo, as Qt's own paste
    const int start = cursor.selectionStart();
    insertInPieces(cursor, text);
    // The line it landed in is cut with it; the cursor follows the cuts.
    QTextCursor cutter(cursor);
    cutLongBlocks(cutter, start, cursor.position());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    stepOverScreenBreak(event);
    QPlainTextEdit::keyPressEvent(event);
    cutCursorLine();
}

void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    QPlainTextEdit::inputMethodEvent(event);
    cutCursorLine();
}

// What was typed or composed, or a deletion that joined two pieces, may have made the cursor's
// paragraph too long to lay out at a bearable cost: it is cut in the same step for undo.
void TextBox::cutCursorLine()
{
    const QTextBlock block = textCursor().block();
    if (block.length() - 1 <= maxBlockLength)
        return;
    QTextCursor cutter = textCursor();
    cutter.joinPreviousEditBlock();
    cutLongBlocks(cutter, block.position(), block.position());
    cutter.endEditBlock();
}

// The characters from start to end as they were received or typed: the screen's own breaks left
// out, every other break written as lineBreak.
QString TextBox::textBetween(int start, int end, QStringView lineBreak) const
{
    QString text;
    for (QTextBlock block = document()->findBlock(start); block.isValid(); block = block.next()) {
        if (block.position() > end)
            break;
        if (block.position() > start && !isScreenBreak(block))
            text += lineBreak;
        const int from = std::max(start, block.position()) - block.position();
        const int to = std::min(end, block.position() + block.length() - 1) - block.position();
        text += QStringView(block.text()).sliced(from, to - from);
    }
    text.replace(QChar::LineSeparator, lineBreak.toString());
    return text;
}
