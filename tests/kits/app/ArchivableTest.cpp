#include "kits/app/Archivable.h"

#include "kits/app/Handler.h"
#include "kits/app/Message.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace archivable_test {

// Stores one number; rebuilt only from an archive that has it.
class Counter : public BArchivable {
public:
    explicit Counter(int32 count) : count(count) {}
    explicit Counter(BMessage* archive) : BArchivable(archive)
    {
        (void)archive->FindInt32("count", &count);
    }

    status_t Archive(BMessage* archive, bool deep) const override
    {
        if (status_t status = BArchivable::Archive(archive, deep); status != B_OK)
            return status;
        return archive->AddInt32("count", count);
    }

    static BArchivable* Instantiate(BMessage* archive)
    {
        if (!validate_instantiation(archive, "archivable_test::Counter")
            || !archive->HasInt32("count")) {
            return nullptr;
        }
        return new Counter(archive);
    }

    int32 count = 0;
};

// Names itself before its base does, as a class with a short public name would.
class Named : public BArchivable {
public:
    status_t Archive(BMessage* archive, bool deep) const override
    {
        if (archive == nullptr)
            return B_BAD_VALUE;
        if (status_t status = archive->AddString("class", "Named"); status != B_OK)
            return status;
        return BArchivable::Archive(archive, deep);
    }
};

BArchivable* Refuse(BMessage*)
{
    return nullptr;
}

}

namespace {

using archivable_test::Counter;

std::vector<std::string> Classes(const BMessage& archive)
{
    std::vector<std::string> names;
    const char* name = nullptr;
    for (int32 i = 0; archive.FindString("class", i, &name) == B_OK; i++)
        names.emplace_back(name);
    return names;
}

class ArchivableTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(register_instantiation_func("archivable_test::Counter", Counter::Instantiate),
            B_OK);
    }
};

TEST_F(ArchivableTest, ArchiveNamesTheClassOnceAndRebuildsTheObject)
{
    BMessage archive;
    ASSERT_EQ(Counter(7).Archive(&archive, true), B_OK);
    // Archiving into the same message twice does not name the class twice.
    ASSERT_EQ(Counter(42).Archive(&archive, true), B_OK);
    EXPECT_EQ(Classes(archive), std::vector<std::string>{"archivable_test::Counter"});
    EXPECT_EQ(BArchivable().Archive(nullptr, true), B_BAD_VALUE);
    BMessage named;
    ASSERT_EQ(archivable_test::Named().Archive(&named, true), B_OK);
    EXPECT_EQ(Classes(named), (std::vector<std::string>{"Named", "archivable_test::Named"}));

    ASSERT_EQ(archive.ReplaceInt32("count", 42), B_OK);
    std::unique_ptr<BArchivable> object(instantiate_object(&archive));
    auto* counter = dynamic_cast<Counter*>(object.get());
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->count, 42);
}

TEST_F(ArchivableTest, RegistryFindsWhatWasRegisteredAndRefusesBadEntries)
{
    EXPECT_EQ(find_instantiation_func("archivable_test::Counter"), &Counter::Instantiate);
    EXPECT_EQ(find_instantiation_func("archivable_test::Nothing"), nullptr);
    EXPECT_EQ(find_instantiation_func(nullptr), nullptr);
    EXPECT_EQ(register_instantiation_func(nullptr, Counter::Instantiate), B_BAD_VALUE);
    EXPECT_EQ(register_instantiation_func("", Counter::Instantiate), B_BAD_VALUE);
    EXPECT_EQ(register_instantiation_func("archivable_test::Empty", nullptr), B_BAD_VALUE);
    EXPECT_EQ(find_instantiation_func("archivable_test::Empty"), nullptr);

    // A second registration replaces the first.
    ASSERT_EQ(register_instantiation_func("archivable_test::Twice", archivable_test::Refuse),
        B_OK);
    ASSERT_EQ(register_instantiation_func("archivable_test::Twice", Counter::Instantiate), B_OK);
    EXPECT_EQ(find_instantiation_func("archivable_test::Twice"), &Counter::Instantiate);
}

TEST_F(ArchivableTest, OnlyArchivesNamingARegisteredClassThatAcceptsThemAreRebuilt)
{
    BMessage archive;
    archive.AddString("class", "TVView");
    archive.AddString("class", "BView");
    EXPECT_TRUE(validate_instantiation(&archive, "TVView"));
    EXPECT_TRUE(validate_instantiation(&archive, "BView"));
    EXPECT_FALSE(validate_instantiation(&archive, "BDragger"));
    EXPECT_FALSE(validate_instantiation(&archive, "TVVie"));
    EXPECT_FALSE(validate_instantiation(&archive, nullptr));
    EXPECT_FALSE(validate_instantiation(nullptr, "TVView"));
    EXPECT_EQ(instantiate_object(nullptr), nullptr);

    // Without a class, of a foreign or unknown class, with a number for the class, and one
    // the function itself refuses as a field it needs is missing.
    BMessage refused[5];
    refused[1].AddString("class", "Foreign");
    refused[2].AddString("class", "archivable_test::Unknown");
    refused[3].AddInt32("class", 1);
    refused[4].AddString("class", "archivable_test::Counter");
    for (int i = 0; i < 4; i++)
        refused[i].AddInt32("count", 3);
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Counter::Instantiate(&refused[i]), nullptr);
        EXPECT_EQ(instantiate_object(&refused[i]), nullptr);
    }
}

// Named handlers are ViewArchiveTest's case, through the views built on them.
TEST_F(ArchivableTest, HandlerArchiveWithoutAUsableNameGivesAnUnnamedHandler)
{
    BMessage unnamed;
    ASSERT_EQ(BHandler().Archive(&unnamed, true), B_OK);
    EXPECT_EQ(Classes(unnamed), std::vector<std::string>{"BHandler"});
    EXPECT_FALSE(unnamed.HasString("_name"));
    BMessage damaged;
    damaged.AddInt32("_name", 3);
    EXPECT_STREQ(BHandler(&damaged).Name(), "");
    EXPECT_STREQ(BHandler(static_cast<BMessage*>(nullptr)).Name(), "");
}

}
