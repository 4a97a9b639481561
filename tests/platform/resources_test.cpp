// Lookups in the embedded resource table.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include <wx/image.h>

#include "platform/ResourceTable.h"
#include "platform/Resources.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST(Resources, AbsentIdsAndTypesFindNothing) {
    EXPECT_FALSE(plat::FindResource(-1, plat::RT_PNG));
    EXPECT_FALSE(plat::FindResource(999999, plat::RT_BITMAP));
    EXPECT_FALSE(plat::FindResource(162, "NOSUCHTYPE"));
    EXPECT_FALSE(plat::FindResource(162, nullptr));
    EXPECT_EQ(plat::FindResource(999999, plat::RT_WAVE).size, 0u);
    wxImage img;
    EXPECT_FALSE(plat::LoadResourceImage(999999, plat::RT_PNG, img));
    EXPECT_FALSE(img.IsOk()) << "a failed load leaves the image alone";
    EXPECT_FALSE(plat::LoadResourceImage(999999, nullptr, img));
    EXPECT_TRUE(plat::LoadResourceString(999999).empty());
}

TEST(Resources, EveryEntryIsFoundByIdAndTypeInAnyCase) {
    auto list = plat::ListResources();
    std::size_t n = 0;
    while (plat::kResourceTable[n].type) ++n;
    ASSERT_EQ(list.size(), n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& e = plat::kResourceTable[i];
        EXPECT_EQ(list[i].id, e.id);
        EXPECT_EQ(list[i].type, e.type);
        EXPECT_EQ(list[i].size, static_cast<std::size_t>(e.end - e.begin));
        // The first entry of an (id, type) pair is the one found.
        std::size_t first = 0;
        while (!(plat::kResourceTable[first].id == e.id &&
                 Lower(plat::kResourceTable[first].type) == Lower(e.type)))
            ++first;
        for (const std::string& t : {std::string(e.type), Lower(e.type)}) {
            plat::ResourceBlob b = plat::FindResource(e.id, t.c_str());
            EXPECT_EQ(b.data, plat::kResourceTable[first].begin) << e.id << " " << t;
        }
        // Data types are never taken for pictures.
        const std::string type = Lower(e.type);
        if (type == "wave" || type == "mdb" || type == "string") {
            wxImage img;
            EXPECT_FALSE(plat::LoadResourceImage(e.id, e.type, img)) << e.id << " " << e.type;
        }
    }
}

}  // namespace

namespace {

TEST(Resources, CursorsCarryTheirHotSpotIntoTheImage) {
    for (const plat::ResourceInfo& r : plat::ListResources()) {
        if (Lower(r.type) != "cursor") continue;
        wxImage img;
        ASSERT_TRUE(plat::LoadResourceImage(r.id, r.type.c_str(), img)) << r.id;
        ASSERT_TRUE(img.HasOption(wxIMAGE_OPTION_CUR_HOTSPOT_X)) << r.id;
        const int x = img.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_X);
        const int y = img.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_Y);
        EXPECT_GE(x, 0);
        EXPECT_LT(x, img.GetWidth());
        EXPECT_GE(y, 0);
        EXPECT_LT(y, img.GetHeight());
        EXPECT_GT(img.GetAlpha(x, y), 0) << "the hot spot lies on the drawn cursor";
    }
}

}  // namespace
