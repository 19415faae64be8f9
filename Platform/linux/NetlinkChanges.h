#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace Platform::Linux {

// A subscription to the kernel's routing messages of some groups (links,
// addresses, routes): each batch that arrives is reported once, whatever it
// holds, for the owner to read the tables afresh.
class NetlinkChanges {
public:
    // `groups`: RTMGRP_* bits. `what` names the watch in the log.
    NetlinkChanges(unsigned groups, const char *what, std::function<void()> onBatch);
    ~NetlinkChanges();
    NetlinkChanges(const NetlinkChanges &) = delete;
    NetlinkChanges &operator=(const NetlinkChanges &) = delete;

    // Subscribes; a second call changes nothing. A subscription the kernel
    // refuses is logged once and leaves the watch silent.
    void start();

private:
    void readMessages();

    unsigned m_groups;
    const char *m_what;
    std::function<void()> m_onBatch;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_failureLogged = false;
};

} // namespace Platform::Linux
