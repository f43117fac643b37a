#include "layer-check/LayerCheck.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace vq;

namespace {

void write(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

std::vector<std::string> messages(const std::vector<layers::Violation>& violations)
{
    std::vector<std::string> out;
    for (const auto& v : violations)
        out.push_back(v.toString());
    return out;
}

} // namespace

// The checkout's own table, held to a small tree with one upward include
// planted among allowed ones, plus the other ways an include can go wrong.
TEST(LayerCheckTest, TheTableRefusesAPlantedUpwardIncludeAndNamesItsLine)
{
    auto table = layers::readTable(std::filesystem::path(VQ_SOURCE_DIR) / "src" / "layers.txt");
    ASSERT_TRUE(table.table) << table.error;

    test::TempDir root;
    write(root / "src/core/Log.h", "#pragma once\n");
    write(root / "src/ui/View.h", "#pragma once\n#include \"core/Log.h\"\n");
    write(root / "src/ui/View.cpp", "#include \"ui/View.h\"\n");
    write(root / "src/core/Planted.cpp", "#include \"core/Log.h\"\n\n#include \"ui/View.h\"\n#include <vector>\n");
    write(root / "src/core/Missing.cpp", "  #  include \"core/Nowhere.h\"\n");
    write(root / "src/attic/Old.cpp", "#include \"core/Log.h\"\n");
    write(root / "tests/ui/ViewTest.cpp", "#include \"Fixture.h\"\n#include \"ui/View.h\"\n");
    write(root / "tests/ui/Fixture.h", "#include \"core/Log.h\"\n");

    EXPECT_EQ(messages(layers::check(root.path(), *table.table)),
              (std::vector<std::string>{
                  "src/attic/Old.cpp:1: src/attic has no line in the table of layers, so it may include nothing "
                  "outside itself",
                  "src/core/Missing.cpp:1: includes \"core/Nowhere.h\", which names no file beside it or under src/, "
                  "tools/ or tests/",
                  "src/core/Planted.cpp:3: includes \"ui/View.h\" from src/ui, which src/core may not include",
              }));
}

TEST(LayerCheckTest, ATableLineWithoutItsFolderIsRefusedByLine)
{
    EXPECT_EQ(layers::parseTable("# layers\nsrc/core:\nsrc/ui src/core\n", "t").error,
              "t:3: expected \"folder: folders it may include\"");
    EXPECT_EQ(layers::parseTable("src/core:\nsrc/core: src/ui\n", "t").error, "t:2: src/core has a line already");
    auto ok = layers::parseTable("src/ui: src/core src/graphics # drawn\n", "t");
    ASSERT_TRUE(ok.table);
    EXPECT_EQ(ok.table->mayInclude.at("src/ui"), (std::set<std::string>{"src/core", "src/graphics"}));
}
