// Security descriptors as POSIX mode bits: a small subset of SDDL (allow entries for the owner,
// group and everyone, with read, write, execute and full rights) maps onto rwx bits; nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Platform {

// The subset of SDDL that maps onto the permission bits 0777:
// - "O:sid" and "G:sid" name the owner and group; they are accepted (owner one of OW, CO, SY, BA;
//   group one of BU, AU, SY, BA) and do not change the file's owner or group.
// - "D:flags(ace)(ace)..." with flags any of P, AI, AR; each ace is "A;aceflags;rights;;;sid":
//   - sid OW, CO, SY or BA grants to the owner bits, BU or AU to the group bits, WD to the others;
//   - rights are two-letter codes, alone or run together ("FRFX"): FA and GA give rwx, FR and GR r,
//     FW and GW w, FX and GX x; or a hex mask "0x..." that is exactly a union of FILE_ALL_ACCESS
//     (0x1F01FF), FILE_GENERIC_READ (0x120089), FILE_GENERIC_WRITE (0x120116), FILE_GENERIC_EXECUTE
//     (0x1200A0), GENERIC_ALL, GENERIC_READ, GENERIC_WRITE and GENERIC_EXECUTE;
//   - aceflags any of OI, CI, NP, ID (inheritance, which mode bits do not have); an ace with IO
//     (inherit only) does not apply to the object itself and grants nothing.
//   Allow entries add up; an empty "D:" grants nothing (mode 0).
// - "S:" with flags only (P, AI, AR), no entries.
// Each part at most once, in any order, with no spaces. Anything else (no "D:", deny or object or
// audit entries, other SIDs or rights, a null DACL) is outside the subset: false, mode untouched.
bool SddlToMode(std::string_view sddl, uint32_t& mode);

// The SDDL text of the permission bits 0777 of mode: "O:BAG:BUD:" and one allow entry per class
// that has any right, in the order OW, BU, WD, e.g. 0754 gives
// "O:BAG:BUD:(A;;FA;;;OW)(A;;FRFX;;;BU)(A;;FR;;;WD)". SddlToMode maps it back to mode & 0777.
std::string ModeToSddl(uint32_t mode);

// The permission bits (07777) of a host path (stat: links are followed). Returns 0 or the errno value.
int GetPathMode(const std::string& path, uint32_t& mode);

// Sets the permission bits (07777) of a host path. Returns 0 or the errno value.
int SetPathMode(const std::string& path, uint32_t mode);

} // namespace Platform
