// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include <QMessageBox>

class Failure;

// The message box that reports a failure: its number and description, which the user can select
// and copy, to look the number up or to pass it on. It deletes itself once closed.
class FailureBox : public QMessageBox
{
    Q_OBJECT

public:
    FailureBox(const Failure &failure, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool copyAll(QKeyEvent *event);
};
