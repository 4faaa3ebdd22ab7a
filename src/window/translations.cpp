// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void installTranslations(const QLocale &locale)
{
    QCoreApplication *const app = QCoreApplication::instance();
    for (QTranslator *old : app->findChildren<QTranslator *>(Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }

    // The program's own catalogue is built in, so that an installed program and the build tree
    // speak alike; Qt's come with the system, or are built in where the system has none
    // (Windows).
    const QString folders[]
        = {QStringLiteral(":/i18n"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const char *name : {"korvane-speed-demo", "qtbase"}) {
        for (const QString &folder : folders) {
            auto *translator = new QTranslator(app);
            if (translator->load(locale, QString::fromLatin1(name), QStringLiteral("_"), folder)) {
                QCoreApplication::installTranslator(translator);
                break;
            }
            delete translator;
        }
    }
}
