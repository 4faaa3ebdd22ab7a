// Copyright (C) 2026 Korvane Developers
// SPDX-License-Identifier: MIT

#include "serial/listing/port_listing.h"

#include <thread>

PortListing::PortListing(Lister lister, QObject *parent)
    : QObject(parent)
    , m_lister(std::move(lister))
    , m_link(std::make_shared<Link>())
{
    m_link->listing = this;
}

PortListing::~PortListing()
{
    const std::lock_guard<std::mutex> lock(m_link->mutex);
    m_link->listing = nullptr;
}

void PortListing::start()
{
    if (m_listing)
        return;
    m_listing = true;
    // Detached: the program does not wait for a driver that never answers, not even to end.
    std::thread([link = m_link, lister = m_lister] {
        const QList<SystemPort> ports = lister();
        const std::lock_guard<std::mutex> lock(link->mutex);
        if (PortListing *listing = link->listing) {
            QMetaObject::invokeMethod(
                listing,
                [listing, ports] {
                    listing->m_listing = false;
                    emit listing->listed(ports);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}
