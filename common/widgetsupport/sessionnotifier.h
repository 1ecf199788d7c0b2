#pragma once

#include "notifier.h"

#include <memory>

// The notifier for this session: message boxes when someone is at the screen;
// with ORVALA_UNATTENDED set, lines on the error stream and questions answered
// without waiting (Yes only when the variable says "yes").
std::unique_ptr<Notifier> createSessionNotifier();
