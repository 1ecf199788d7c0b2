#include "projectfields.h"

#include "driverstrings.h"

namespace NameRules {

namespace {

NameRule nodeRule(ObjectNames::Kind kind, DriverString::Id empty, DriverString::Id blank,
                  DriverString::Id tooLong, DriverString::Id exists)
{
    return {kind,
            NameRule::Characters::AnyButBlanks,
            CModObject::MaxNameLength,
            DriverString::text(empty),
            DriverString::text(blank),
            DriverString::text(tooLong),
            DriverString::text(exists)};
}

bool isTagNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

const NameRule &channel(CModChnl::Kind kind)
{
    // Both kinds say the same; the driver keeps a text of its own for each.
    static const NameRule rtu =
        nodeRule(ObjectNames::Kind::Channel, DriverString::EnterRtuChannelName,
                 DriverString::ChannelNameHasSpace, DriverString::ChannelNameTooLong,
                 DriverString::ChannelNameExists);
    static const NameRule tcp =
        nodeRule(ObjectNames::Kind::Channel, DriverString::EnterTcpChannelName,
                 DriverString::ChannelNameHasSpace, DriverString::ChannelNameTooLong,
                 DriverString::ChannelNameExists);
    return kind == CModChnl::RtuKind ? rtu : tcp;
}

const NameRule &device()
{
    static const NameRule rule = nodeRule(
        ObjectNames::Kind::Device, DriverString::EnterDeviceName, DriverString::DeviceNameHasSpace,
        DriverString::DeviceNameTooLong, DriverString::DeviceNameExists);
    return rule;
}

const NameRule &group()
{
    static const NameRule rule =
        nodeRule(ObjectNames::Kind::TagGroup, DriverString::EnterTagGroupName,
                 DriverString::TagGroupNameHasSpace, DriverString::TagGroupNameTooLong,
                 DriverString::GroupNameExists);
    return rule;
}

const NameRule &tag()
{
    // The tag dialog's name edit lets only these characters be typed and at most
    // 40 of them, so the driver has no message of its own for either.
    static const NameRule rule{
        ObjectNames::Kind::Tag,
        NameRule::Characters::LettersDigitsUnderscore,
        CModTag::MaxNameLength,
        DriverString::text(DriverString::EnterTagName),
        QStringLiteral("Tag name can contain only letters, digits and \"_\"."),
        QStringLiteral("Tag name length more than limit of 40 characters."),
        DriverString::text(DriverString::TagNameExists),
    };
    return rule;
}

QString check(const QString &name, const NameRule &rule)
{
    if (name.isEmpty())
        return rule.empty;
    for (QChar c : name) {
        const bool allowed = rule.characters == NameRule::Characters::AnyButBlanks
                                 ? !c.isSpace()
                                 : isTagNameCharacter(c);
        if (!allowed)
            return rule.badCharacter;
    }
    if (name.size() > rule.maxLength)
        return rule.tooLong;
    return {};
}

} // namespace NameRules

namespace ProjectFields {

const QStringList &networkAdapters()
{
    static const QStringList adapters{QStringLiteral("Default"), QStringLiteral("RealTek Adapter"),
                                      QStringLiteral("Modbus Adapter")};
    return adapters;
}

} // namespace ProjectFields
