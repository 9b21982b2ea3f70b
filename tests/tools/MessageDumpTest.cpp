#include "tools/MessageDump.h"

#include "tests/support/TemporaryFolder.h"
#include "tools/MessageFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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
    TemporaryFolder temporary;
    fs::path folder{temporary.Path()};
};

TEST_F(MessageDumpTest, ListsGoldenFilesLineByLineAndRewritesThemByteForByte)
{
    for (const char* name : {"settings", "presets", "nested", "routing", "bigendian"}) {
        SCOPED_TRACE(name);
        std::string in = DataPath(std::string("kits/app/") + name + ".msg");
        Result result = RunTool({in});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, ReadFile(DataPath(std::string("tools/") + name + ".txt")));
        EXPECT_EQ(result.err, "");
        std::string out = (folder / name).string();
        ASSERT_EQ(RunTool({"--rewrite", in, out}).status, 0);
        EXPECT_EQ(ReadFile(out), ReadFile(in));
    }
}

TEST_F(MessageDumpTest, FilesThatHoldNoMessageFailWithOneLineGivingTheirReason)
{
    std::string damaged = DataPath("tools/damaged.msg");
    std::string text = (folder / "text").string();
    std::ofstream(text) << "hello, this is not a message at all";
    std::ofstream(folder / "empty").flush();
    // Sparse: only its size matters.
    std::ofstream(folder / "huge").flush();
    fs::resize_file(folder / "huge", MAX_MESSAGE_FILE_SIZE + 1);
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{damaged}, "damaged.msg"},
        {{"--rewrite", damaged, (folder / "out").string()}, "damaged.msg"},
        {{text}, "not a flattened message"},
        {{(folder / "empty").string()}, "not a flattened message"},
        {{(folder / "missing").string()}, "cannot open"}, {{"/dev/zero"}, "not a regular file"},
        {{(folder / "fifo").string()}, "not a regular file"},
        {{(folder / "huge").string()}, "larger than any message file"},
    };
    for (const auto& [args, reason] : cases) {
        Result result = RunTool(args);
        EXPECT_EQ(result.status, 1) << args[0];
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
    EXPECT_FALSE(fs::exists(folder / "out"));
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
