#include "tools/MessageDump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string DataPath(const std::string& name)
{
    const char* root = std::getenv("OVELIN_TEST_DATA");
    return std::string(root != nullptr ? root : "tests/data") + "/" + name;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << path;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const char* const GOLDEN_NAMES[] = {"settings", "presets", "nested", "routing", "bigendian"};

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunTool(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    int status = RunMsgdump(args, out, err);
    return {status, out.str(), err.str()};
}

class MessageDumpTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path()
            / ("msgdump-test-" + std::to_string(getpid()) + "-"
                + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
};

TEST_F(MessageDumpTest, ListsGoldenFilesLineByLine)
{
    for (const char* name : GOLDEN_NAMES) {
        Result result = RunTool({DataPath(std::string("kits/app/") + name + ".msg")});
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_EQ(result.out, ReadFile(DataPath(std::string("tools/") + name + ".txt"))) << name;
        EXPECT_EQ(result.err, "") << name;
    }
}

TEST_F(MessageDumpTest, RewriteReproducesGoldenFilesByteForByte)
{
    for (const char* name : GOLDEN_NAMES) {
        std::string in = DataPath(std::string("kits/app/") + name + ".msg");
        std::string out = (folder / name).string();
        Result result = RunTool({"--rewrite", in, out});
        ASSERT_EQ(result.status, 0) << name << ": " << result.err;
        EXPECT_EQ(ReadFile(out), ReadFile(in)) << name;
    }
}

TEST_F(MessageDumpTest, DamagedFileFailsWithOneLineError)
{
    std::string damaged = DataPath("tools/damaged.msg");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {damaged}, {"--rewrite", damaged, (folder / "out").string()}}) {
        Result result = RunTool(args);
        EXPECT_NE(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("damaged.msg"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    EXPECT_FALSE(fs::exists(folder / "out"));
}

TEST_F(MessageDumpTest, FileThatIsNoMessageOrMissingFails)
{
    std::string text = (folder / "text").string();
    std::ofstream(text) << "hello, this is not a message at all";
    Result result = RunTool({text});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("not a flattened message"), std::string::npos) << result.err;

    result = RunTool({(folder / "missing").string()});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("cannot open"), std::string::npos) << result.err;
}

TEST_F(MessageDumpTest, WrongArgumentsPrintUsage)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--rewrite", "in"}, {"a", "b"}, {"--help"}}) {
        Result result = RunTool(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err.rfind("usage:", 0), 0u) << result.err;
    }
}

}
