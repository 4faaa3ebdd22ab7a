// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#pragma once

#include "serial/listing/system_port.h"

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Lists the system's serial ports on a thread of its own, so that a driver slow to answer (a
// Bluetooth port's, say) never holds the window; listed() brings the list back. A listing that
// goes before its thread has answered takes the answer with it.
class PortListing : public QObject
{
    Q_OBJECT

public:
    using Lister = std::function<QList<SystemPort>()>;

    explicit PortListing(Lister lister, QObject *parent = nullptr);
    ~PortListing() override;

    // Lists once more, unless a listing is under way: its answer comes first.
    void start();

signals:
    void listed(const QList<SystemPort> &ports);

private:
    // What the thread reaches the listing by, for as long as the listing lives.
    struct Link
    {
        std::mutex mutex;
        PortListing *listing;
    };

    const Lister m_lister;
    const std::shared_ptr<Link> m_link;
    bool m_listing = false;
};
