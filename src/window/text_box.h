// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QPlainTextEdit>

class QTextBlock;

// A multi-line text box whose whole text, read or replaced, has CR LF for each line break, as the
// serial line carries it. QPlainTextEdit itself keeps a paragraph separator instead.
//
// Laying out one paragraph costs time that grows with the square of its length when it has
// nowhere to wrap, and a device that streams without line breaks sends megabytes of such text.
// The box therefore holds no paragraph longer than maxBlockLength, however text arrives (set,
// typed, pasted, dropped, composed by an input method): a longer run is shown in pieces, split by
// breaks that are only on the screen. The box's text, what is
// copied and what is sent run on without them, whatever the user edits, undoes or redoes.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int maxBlockLength = 1024;

    explicit TextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

    // Whether the block starts after a break the box made for the screen only.
    static bool isScreenBreak(const QTextBlock &block);

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void cutCursorLine();
    void stepOverScreenBreak(QKeyEvent *event);
    QString textBetween(int start, int end, QStringView lineBreak) const;
};
