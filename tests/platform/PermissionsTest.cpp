#include "platform/Permissions.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace Platform;

TEST(PermissionsTest, SddlToMode)
{
    struct Case {
        const char* sddl;
        uint32_t mode;
    };
    const Case cases[] = {
        {"O:BAG:BUD:(A;;FA;;;OW)(A;;FR;;;BU)(A;;FR;;;WD)", 0744},
        {"D:(A;;FRFX;;;OW)", 0500},
        {"D:(A;;FXFR;;;CO)(A;;GW;;;AU)", 0520},
        {"D:", 0},
        {"D:P(A;;GA;;;SY)(A;;GRGX;;;AU)", 0750},
        {"O:SYG:SYD:PAI(A;OICI;FA;;;BA)(A;OICIID;0x1200a9;;;BU)", 0750},
        {"D:AI(A;OICIIO;GA;;;CO)(A;;FW;;;WD)", 0002}, // inherit-only grants nothing here
        {"D:ARAI(A;;FR;;;OW)(A;;FW;;;OW)(A;;FR;;;BU)", 0640}, // entries add up
        {"D:(A;;0x1F01FF;;;SY)(A;;0x120089;;;WD)", 0704},
        {"D:(A;;0x80000000;;;BU)(A;;0x60000000;;;WD)", 0043},
        {"D:(A;;0x10000000;;;OW)", 0700},
        {"G:BUO:OWD:(A;;FA;;;OW)", 0700}, // parts in any order
        {"O:BAG:BUD:(A;;FA;;;OW)S:", 0700},
        {"S:AID:(A;;FA;;;OW)", 0700},
        {"O:BAG:BUD:(A;;FA;;;OW)S:PAI", 0700},
    };
    for (const Case& c : cases) {
        uint32_t mode = 01000;
        EXPECT_TRUE(SddlToMode(c.sddl, mode)) << c.sddl;
        EXPECT_EQ(mode, c.mode) << c.sddl;
    }
}

TEST(PermissionsTest, FormsOutsideTheSubsetAreRefused)
{
    const char* refused[] = {
        "",
        "O:BAG:BU",                                  // no DACL: a null DACL grants everything
        "D:NO_ACCESS_CONTROL",
        "D:(D;;FA;;;WD)",                            // deny
        "D:(OA;;FA;;;WD)",                           // object entry
        "D:(A;;FA;bf967aba-0de6-11d0-a285-00aa003049e2;;WD)",
        "D:(A;;FA;;;S-1-5-32-544)",                  // SIDs other than the named ones
        "D:(A;;FA;;;LA)",
        "D:(A;;SD;;;OW)",                            // rights outside the subset
        "D:(A;;FAWD;;;OW)",
        "D:(A;;0x1301bf;;;BU)",                      // modify: holds DELETE
        "D:(A;;0x0;;;OW)",
        "D:(A;;0x;;;OW)",
        "D:(A;;0x1g;;;OW)",
        "D:(A;;;;;OW)",                              // no rights
        "D:(A;SA;FA;;;OW)",                          // audit flag
        "D:(A;XY;FA;;;OW)",
        "D:(A;;FA;;;OW;(x))",                        // resource attribute
        "D:(A;;FA;;OW)",
        "D:(A;;FA;;;OW",
        "D:(A;;FA;;;OW))",
        "D:((A;;FA;;;OW))",
        "D:(A;;FA;;;OW)x",
        "D:X(A;;FA;;;OW)",
        "D:(A;;FA;;;OW)D:(A;;FA;;;OW)",              // a part twice
        "O:XXD:(A;;FA;;;OW)",
        "O:WDD:(A;;FA;;;OW)",
        "G:OWD:(A;;FA;;;OW)",
        "O:D:(A;;FA;;;OW)",
        "D:(A;;FA;;;OW)S:(AU;SA;FA;;;WD)",          // audit entries
        "D:(A;;FA;;;OW)S:(ML;;NW;;;LW)",            // integrity label
        "d:(a;;fa;;;ow)",
        "D: (A;;FA;;;OW)",
        "X:D:(A;;FA;;;OW)",
        "D",
    };
    for (const char* sddl : refused) {
        uint32_t mode = 0123;
        EXPECT_FALSE(SddlToMode(sddl, mode)) << sddl;
        EXPECT_EQ(mode, 0123u) << sddl;
    }
}

TEST(PermissionsTest, ModeToSddlMapsBack)
{
    EXPECT_EQ(ModeToSddl(0754), "O:BAG:BUD:(A;;FA;;;OW)(A;;FRFX;;;BU)(A;;FR;;;WD)");
    EXPECT_EQ(ModeToSddl(0), "O:BAG:BUD:");
    EXPECT_EQ(ModeToSddl(04623), "O:BAG:BUD:(A;;FRFW;;;OW)(A;;FW;;;BU)(A;;FWFX;;;WD)");
    for (uint32_t mode = 0; mode <= 0777; ++mode) {
        uint32_t back = 01000;
        ASSERT_TRUE(SddlToMode(ModeToSddl(mode), back)) << std::oct << mode;
        ASSERT_EQ(back, mode) << ModeToSddl(mode);
    }
}

TEST(PermissionsTest, PathModes)
{
    ScratchFolder scratch;
    const std::string file = scratch / "f";
    std::ofstream(file) << "x";
    uint32_t mode = 0;
    uint32_t fromSddl = 0;
    ASSERT_TRUE(SddlToMode("D:(A;;FRFW;;;OW)(A;;FR;;;BU)", fromSddl));
    ASSERT_EQ(SetPathMode(file, fromSddl), 0);
    ASSERT_EQ(GetPathMode(file, mode), 0);
    EXPECT_EQ(mode, 0640u);
    EXPECT_EQ(ModeToSddl(mode), "O:BAG:BUD:(A;;FRFW;;;OW)(A;;FR;;;BU)");
    ASSERT_EQ(SetPathMode(scratch.Path(), 0710), 0);
    ASSERT_EQ(GetPathMode(scratch.Path(), mode), 0);
    EXPECT_EQ(mode, 0710u);
    EXPECT_EQ(GetPathMode(scratch / "missing", mode), ENOENT);
    EXPECT_EQ(SetPathMode(scratch / "missing", 0600), ENOENT);
    EXPECT_EQ(SetPathMode("", 0600), ENOENT);
}

} // namespace
