#include "panel/SetupTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kaldor {
namespace {

const std::string kConfirm = " [<-] [->]:SELECT         [SET]:CONFIRM ";
const std::string kChange = " [<-] [->]:SELECT         [SET]:CHANGE  ";

struct Table {
    const char* name;
    const LcdMenuEntry* menu;
    std::size_t entries; // array length, terminator included
    std::size_t items;
};

std::vector<Table> AllTables() {
    return {
        {"SetupMenu", SetupMenu, std::size(SetupMenu), 9},
        {"AntennaMenu", AntennaMenu, std::size(AntennaMenu), 21},
        {"CatMenu", CatMenu, std::size(CatMenu), 8},
        {"IcomMenu", IcomMenu, std::size(IcomMenu), 2},
        {"TenTecMenu", TenTecMenu, std::size(TenTecMenu), 4},
        {"BaudMenu", BaudMenu, std::size(BaudMenu), 4},
        {"YaesuMenu", YaesuMenu, std::size(YaesuMenu), 15},
    };
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

TEST(MenuTables, CountsAndTerminators) {
    for (const Table& t : AllTables()) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(MenuItemCount(t.menu), t.items);
        ASSERT_EQ(t.entries, t.items + 1);
        const LcdMenuEntry& end = t.menu[t.items];
        EXPECT_TRUE(end.Text.empty());
        EXPECT_EQ(end.Col, 0);
        EXPECT_EQ(end.Row, 0);
        EXPECT_TRUE(end.HelpLine6.empty());
        EXPECT_TRUE(end.HelpLine7.empty());
    }
}

// A help line shorter than the row would leave the previous item's help tail on the display.
TEST(MenuTables, EveryHelpLineIsFortyCharacters) {
    for (const Table& t : AllTables())
        for (std::size_t i = 0; i < t.items; ++i) {
            SCOPED_TRACE(std::string(t.name) + " item " + std::to_string(i));
            EXPECT_EQ(t.menu[i].HelpLine6.size(), 40u) << '"' << t.menu[i].HelpLine6 << '"';
            EXPECT_EQ(t.menu[i].HelpLine7.size(), 40u) << '"' << t.menu[i].HelpLine7 << '"';
        }
}

// Items stay on rows 1..5 inside the 40 columns and never overlap, or a highlight would
// cover part of a neighbour or a help line.
TEST(MenuTables, ItemsFitTheGridAndDoNotOverlap) {
    for (const Table& t : AllTables())
        for (std::size_t i = 0; i < t.items; ++i) {
            const LcdMenuEntry& a = t.menu[i];
            SCOPED_TRACE(std::string(t.name) + " item " + std::to_string(i));
            EXPECT_GE(a.Row, 1);
            EXPECT_LE(a.Row, 5);
            EXPECT_LE(a.Col + a.Text.size(), 40u);
            for (std::size_t j = i + 1; j < t.items; ++j) {
                const LcdMenuEntry& b = t.menu[j];
                if (a.Row != b.Row) continue;
                EXPECT_TRUE(a.Col + a.Text.size() <= b.Col || b.Col + b.Text.size() <= a.Col)
                    << "overlaps item " << j;
            }
        }
}

TEST(MenuTables, RowSevenHints) {
    EXPECT_EQ(kConfirm.size(), 40u);
    EXPECT_EQ(kChange.size(), 40u);
    for (const Table& t : AllTables())
        for (std::size_t i = 0; i < t.items; ++i) {
            SCOPED_TRACE(std::string(t.name) + " item " + std::to_string(i));
            const bool changes = (t.menu == SetupMenu && i >= 4 && i <= 7) ||
                                 (t.menu == AntennaMenu && i < 20);
            EXPECT_EQ(t.menu[i].HelpLine7, changes ? kChange : kConfirm);
        }
}

TEST(MenuTables, TextsThatOtherScreensRelyOn) {
    // The degree sign is the single byte 0xB0, not its two-byte UTF-8 form.
    EXPECT_EQ(SetupMenu[7].HelpLine6, " -- TEMPERATURE VALUE SHOWN IN \xB0" "C/\xB0" "F -- ");
    EXPECT_EQ(SetupMenu[7].HelpLine6.find('\xC2'), std::string::npos);
    // The value boxes sit in the blank tails of items 4..7, from column 23 on.
    for (int i = 4; i <= 7; ++i) EXPECT_EQ(SetupMenu[i].Text.substr(8), std::string(9, ' '));
    EXPECT_EQ(SetupMenu[4].Text, " CONTEST         ");
    // The SET CAT items are numbered like the CAT names.
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(Trim(CatMenu[i].Text), CatNames[i]);
    // The baud-rate screen shows a Yaesu text as the type, by model number.
    EXPECT_EQ(YaesuMenu[4].Text, " FT897       ");
    EXPECT_EQ(BaudMenu[3].Text, " 9600 ");
    EXPECT_EQ(BaudMenu[3].Col, 32);
}

// Entries 2k and 2k+1 are the two antennas of band k, side by side on one row.
TEST(MenuTables, AntennaMenuFollowsTheBandOrder) {
    for (std::size_t k = 0; k < 10; ++k) {
        SCOPED_TRACE(BandNames[k]);
        const LcdMenuEntry& first = AntennaMenu[2 * k];
        const LcdMenuEntry& second = AntennaMenu[2 * k + 1];
        EXPECT_NE(first.HelpLine6.find("1st ANTENNA FOR " + BandNames[k] + " BAND"),
                  std::string::npos);
        EXPECT_NE(second.HelpLine6.find("2nd ANTENNA FOR " + BandNames[k] + " BAND"),
                  std::string::npos);
        EXPECT_EQ(first.Row, second.Row);
        EXPECT_EQ(second.Col, first.Col + 3);
    }
    EXPECT_EQ(AntennaMenu[20].Text, " SAVE ");
}

TEST(NameLists, Texts) {
    EXPECT_EQ(InputName(0), "1");
    EXPECT_EQ(InputName(1), "2");
    EXPECT_EQ(BandName(0), "160 m");
    EXPECT_EQ(BandName(1), "80 m");
    EXPECT_EQ(BandName(9), "6 m");
    const char* antennas[16] = {"1",  "2",  "3",  "4",  "NO",  "", "", "",
                                "1 ", "2 ", "3 ", "4 ", "NO ", "", "", ""};
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(AntennaName(i), antennas[i]) << i;
    EXPECT_EQ(CatName(2), "KENWOOD");
    EXPECT_EQ(CatName(5), "FLEX-RADIO");
    EXPECT_EQ(CatName(7), "NONE");
    const char* slots[8] = {" 1 ", " 2 ", " 3 ", " 4 ", "NO ", "   ", "   ", "   "};
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(AntennaSlotName(i), slots[i]) << i;
}

// The status fields are four bits wide while some lists are shorter.
TEST(NameLists, IndexPastTheListGivesEmptyText) {
    EXPECT_EQ(InputName(2), "");
    EXPECT_EQ(BandName(10), "");
    EXPECT_EQ(BandName(15), "");
    EXPECT_EQ(CatName(8), "");
    EXPECT_EQ(CatName(15), "");
    EXPECT_EQ(AntennaName(16), "");
    EXPECT_EQ(AntennaSlotName(8), "");
    EXPECT_EQ(BandName(static_cast<std::size_t>(-1)), "");
    EXPECT_EQ(NameAt(CatNames, 100000), "");
}

TEST(MenuLookUp, EntryPastTheCountIsTheTerminator) {
    EXPECT_EQ(&MenuEntry(BaudMenu, 3), &BaudMenu[3]);
    EXPECT_EQ(&MenuEntry(BaudMenu, 4), &BaudMenu[4]);
    EXPECT_EQ(&MenuEntry(BaudMenu, 255), &BaudMenu[4]);
    EXPECT_TRUE(MenuEntry(IcomMenu, 2).Text.empty());
    EXPECT_EQ(MenuItemCount(nullptr), 0u);
    EXPECT_TRUE(MenuEntry(nullptr, 0).Text.empty());
    EXPECT_TRUE(MenuEntry(nullptr, 0).HelpLine6.empty());
}

class AntennaSlots : public ::testing::Test {
protected:
    void TearDown() override {
        for (std::size_t s = 0; s < kAntennaSlotCount; ++s) SetAntennaSlot(s, 5);
    }
};

TEST_F(AntennaSlots, StartBlankAndKeepTheirLastText) {
    for (std::size_t s = 0; s < kAntennaSlotCount; ++s) EXPECT_EQ(AntennaMenu[s].Text, "   ");
    SetAntennaSlot(0, 4);
    SetAntennaSlot(19, 1);
    SetAntennaSlot(7, 0);
    SetAntennaSlot(7, 3);
    EXPECT_EQ(AntennaMenu[0].Text, "NO ");
    EXPECT_EQ(AntennaMenu[19].Text, " 2 ");
    EXPECT_EQ(AntennaMenu[7].Text, " 4 ");
    EXPECT_EQ(AntennaMenu[1].Text, "   ");
    EXPECT_EQ(MenuItemCount(AntennaMenu), 21u);
    // Only the text changes; place and help lines stay.
    EXPECT_EQ(AntennaMenu[19].Col, 36);
    EXPECT_EQ(AntennaMenu[19].HelpLine6, " ---- SET 2nd ANTENNA FOR 6 m BAND ---- ");
}

TEST_F(AntennaSlots, SaveTerminatorAndUnknownNamesAreNotTouched) {
    SetAntennaSlot(3, 2);
    SetAntennaSlot(20, 0);
    SetAntennaSlot(21, 0);
    SetAntennaSlot(static_cast<std::size_t>(-1), 0);
    SetAntennaSlot(3, 8);
    EXPECT_EQ(AntennaMenu[20].Text, " SAVE ");
    EXPECT_TRUE(AntennaMenu[21].Text.empty());
    EXPECT_EQ(AntennaMenu[3].Text, " 3 ");
    EXPECT_EQ(MenuItemCount(AntennaMenu), 21u);
}

} // namespace
} // namespace kaldor
