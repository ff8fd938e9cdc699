// The program's folder and the parent-folder rule.

#include "platform/os/program_dir.h"

#include <gtest/gtest.h>

namespace {

using varnel::platform::ParentFolderName;
using varnel::platform::ProgramDir;

TEST(ProgramDir, IsTheFolderThisTestProgramWasBuiltInto) {
    const auto dir = ProgramDir();
    EXPECT_TRUE(dir.is_absolute());
    EXPECT_EQ(std::filesystem::canonical(dir), std::filesystem::canonical(VARNEL_TEST_BINARY_DIR));
    EXPECT_NE(dir.native().back(), '/');
}

TEST(ParentFolderName, DropsTheLastComponent) {
    EXPECT_EQ(ParentFolderName("/opt/Tools/Hash"), "/opt/Tools");
    EXPECT_EQ(ParentFolderName("/opt/Tools/Hash/"), "/opt/Tools");
    EXPECT_EQ(ParentFolderName("/opt/Tools//Hash//"), "/opt/Tools");
    EXPECT_EQ(ParentFolderName("Tools/Hash"), "Tools");
    EXPECT_EQ(ParentFolderName("/opt/Tools/Hash/file name.txt"), "/opt/Tools/Hash");
}

TEST(ParentFolderName, RootAndSingleComponents) {
    EXPECT_EQ(ParentFolderName("/opt"), "/");
    EXPECT_EQ(ParentFolderName("//opt"), "/");
    EXPECT_EQ(ParentFolderName("/"), "");
    EXPECT_EQ(ParentFolderName("///"), "");
    EXPECT_EQ(ParentFolderName("Hash"), "");
    EXPECT_EQ(ParentFolderName(""), "");
}

} // namespace
