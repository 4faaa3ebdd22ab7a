// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/text_box.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <QStringTokenizer>

#include <algorithm>

namespace {

// The user state of a block that continues the one before it: no line break stands between them.
// Splitting a block keeps its state on the first half, so a break the user types is a real one.
constexpr int continuesAbove = 1;

// A text whose line breaks are all '\n', with a '\n' more wherever a line is cut for the screen,
// and the numbers, counted from its first line, of the pieces that continue the line above.
struct Pieces
{
    QString text;
    QList<int> continuing;
};

Pieces inPieces(QStringView text)
{
    Pieces pieces;
    pieces.text.reserve(text.size() + text.size() / TextBox::maxBlockLength);
    int block = 0;
    for (const QStringView line : qTokenize(text, u'\n')) {
        if (block > 0)
            pieces.text += u'\n';
        for (qsizetype at = 0;;) {
            qsizetype end = std::min<qsizetype>(at + TextBox::maxBlockLength, line.size());
            if (end < line.size() && line[end].isLowSurrogate())
                --end; // never between the two halves of one character
            pieces.text += line.sliced(at, end - at);
            at = end;
            if (at == line.size())
                break;
            pieces.text += u'\n';
            pieces.continuing.append(++block);
        }
        ++block;
    }
    return pieces;
}

// Each line end is one '\n': CR LF, and a lone CR or LF, in any run.
QString withNewlines(const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(u'\r', u'\n');
    return plain;
}

} // namespace

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
    // into one break.
    const Pieces pieces = inPieces(withNewlines(text));
    setPlainText(pieces.text);
    markContinuing(0, pieces.continuing);
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
    const Pieces pieces = inPieces(withNewlines(source->text()));
    if (isReadOnly() || pieces.continuing.isEmpty()) { // no long line: Qt's own paste
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int first = cursor.blockNumber();
    cursor.insertText(pieces.text);
    markContinuing(first, pieces.continuing);
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::markContinuing(int first, const QList<int> &continuing)
{
    for (const int block : continuing)
        document()->findBlockByNumber(first + block).setUserState(continuesAbove);
}

// The characters from start to end as they were received or typed: the screen's own breaks left
// out, every other break written as lineBreak.
QString TextBox::textBetween(int start, int end, QStringView lineBreak) const
{
    QString text;
    for (QTextBlock block = document()->findBlock(start); block.isValid(); block = block.next()) {
        if (block.position() > end)
            break;
        if (block.position() > start && block.userState() != continuesAbove)
            text += lineBreak;
        const int from = std::max(start, block.position()) - block.position();
        const int to = std::min(end, block.position() + block.length() - 1) - block.position();
        text += QStringView(block.text()).sliced(from, to - from);
    }
    text.replace(QChar::LineSeparator, lineBreak.toString());
    return text;
}
