// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <utility>

void installTranslations(const QLocale &locale)
{
    QCoreApplication *const app = QCoreApplication::instance();
    for (QTranslator *old : app->findChildren<QTranslator *>(Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }

    // The program's own catalogue is built in, so that an installed program and the build tree
    // speak alike; Qt's come with the system.
    const QString system = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const std::pair<const char *, QString> catalogues[] = {
        {"korvane-speed-demo", QStringLiteral(":/i18n")},
        {"qtbase", system},
        {"qtserialport", system},
    };
    for (const auto &[name, directory] : catalogues) {
        auto *translator = new QTranslator(app);
        if (translator->load(locale, QString::fromLatin1(name), QStringLiteral("_"), directory))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
