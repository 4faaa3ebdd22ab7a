// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/failure.h"

Failure::Failure(Number number, const QString &description)
    : m_number(number)
    , m_description(description)
    , m_what(QStringLiteral("%1: %2").arg(number).arg(description).toUtf8())
{ }
