#pragma once

#include <QString>

#include <array>
#include <optional>

// The two providers the relay serves. The number is the provider's channel: the
// index of its queue and account, and the channel of its event list entries.
enum class MailProvider { Gmail = 0, Yahoo = 1 };

inline constexpr std::array<MailProvider, 2> AllMailProviders{MailProvider::Gmail,
                                                              MailProvider::Yahoo};

// The channel of event list entries that belong to no provider.
inline constexpr int CommonChannel = 100;

inline int channelOf(MailProvider provider)
{
    return int(provider);
}

// "GMail" or "Yahoo" in any mix of cases; anything else is no provider.
std::optional<MailProvider> providerFromName(const QString &name);

// The name that refusals quote: "GMail" or "Yahoo".
QString providerName(MailProvider provider);

// The channel text of the event list: "Gmail", "Yahoo", else "Common".
QString channelText(int channel);
