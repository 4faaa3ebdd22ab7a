// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

class QLocale;

// Installs the translations of the program's own messages, and Qt's own for its dialogs and
// serial port errors, for the locale's UI languages, in place of any installed before. Where a
// language has none, the English source texts stay. What the window's design fixes (its title,
// captions and status texts) is never translated.
void installTranslations(const QLocale &locale);
