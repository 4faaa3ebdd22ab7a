// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QPlainTextEdit>

// A multi-line text box whose whole text, read or replaced, has CR LF for each line break, as the
// serial line carries it. QPlainTextEdit itself keeps a paragraph separator instead.
//
// Laying out one paragraph costs time that grows with the square of its length when it has
// nowhere to wrap, and a device that streams without line breaks sends megabytes of such text.
// The box therefore holds no paragraph longer than maxBlockLength: a longer run is shown in
// pieces, each piece after the first marked as continuing the one before it. These breaks are
// only on the screen: the box's text, what is copied and what is sent, run on without them.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int maxBlockLength = 1024;

    explicit TextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

protected:
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void markContinuing(int first, const QList<int> &continuing);
    QString textBetween(int start, int end, QStringView lineBreak) const;
};
