#pragma once

#include "hostmsg.h"

// How far the link to the host runtime has got in ending a run.
enum class LinkState {
    Idle,       // no run is ending
    Delivering, // values are being delivered to the host runtime
    Stopping,   // the run ends: channels stop at the next run-loop tick
    Releasing,  // the engines are released at the next run-loop tick
};

// The parts of the driver's state that the host link reads and changes. They
// belong to the driver state, which outlives the link; the link only holds
// references to them, so the run loop and the link always see the same values.
struct HostLinkState
{
    const bool &launchedByHost;  // the host runtime started the driver
    const bool &running;         // engines exist and run mode is active
    hostmsg::Handle &hostWindow; // receives the value deliveries; 0 for none
    LinkState &linkState;
    bool &refreshAll; // an item request was accepted: the run loop sends every value
};
