#pragma once

#include <memory>

class CModChnl;
class CModDevice;

// The settings of a channel or device, apart from the node: the working copy a
// sheet edits, and the copy back when the sheet is accepted.
//
// Settings are every stored value of the node's kind, those no page edits
// included, but not its children (devices, tags, groups), its record versions
// or isNew. The values an RTU device reserves are not settings either: they
// stay with the node untouched.
namespace NodeSettings {

// A node of the same kind with the defaults, then `node`'s settings.
std::unique_ptr<CModChnl> workingCopy(const CModChnl &channel);
std::unique_ptr<CModDevice> workingCopy(const CModDevice &device);

// Copies the settings; both nodes must be of the same kind.
void copy(const CModChnl &from, CModChnl &to);
void copy(const CModDevice &from, CModDevice &to);

} // namespace NodeSettings
