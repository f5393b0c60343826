// Search results from several folders in one ZIP download: "items" takes
// paths below the folder, and each keeps its folders in the archive.
#include "tests/webapp/zip_test_support.h"

#include <set>

namespace Velto::Corvane::Testing {
namespace {

class SearchZip : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        WriteFile("share/보고서 1.txt", "one");
        WriteFile("share/2024/보고서 2.txt", "two");
        WriteFile("share/2024/deep/보고서 3.txt", "three");
        WriteFile("share/2024/deep/other.txt", "other");
        WriteFile("share/.hidden/보고서 4.txt", "hidden");
        Config config;
        config.shares.push_back(MakeShare("00000000000000c1", u"share", Files() / "share"));
        Apply(config);
    }

    std::set<std::string> Archived(const std::string& body, const std::string& file) {
        const ClientResponse prepared = Post("/api/zip", body);
        EXPECT_EQ(prepared.status, 200) << prepared.body;
        const std::string url = Json(prepared).Get("url").AsString();
        const Fetched fetched = Fetch(url, Root() / file);
        EXPECT_EQ(fetched.status, 200);
        ExpectReadersAccept(Root() / file);
        std::set<std::string> names;
        const JsonValue inspected = Inspect(Root() / file);
        for (const JsonValue& entry : inspected.Get("entries").AsArray())
            names.insert(entry.Get("name").AsString());
        return names;
    }
};

TEST_F(SearchZip, ItemsFromManyFoldersKeepTheirPlace) {
    EXPECT_EQ(
        Archived(R"({"share":"share","path":"","items":["보고서 1.txt","2024/보고서 2.txt",)"
                 R"("/2024/deep/보고서 3.txt"]})",
                 "found.zip"),
        (std::set<std::string>{"보고서 1.txt", "2024/보고서 2.txt", "2024/deep/보고서 3.txt"}));
    EXPECT_EQ(
        Archived(R"({"share":"share","path":"2024","items":["deep"],"names":["보고서 2.txt"]})",
                 "mixed.zip"),
        (std::set<std::string>{"보고서 2.txt", "deep/", "deep/보고서 3.txt", "deep/other.txt"}));
    // What a listing would not show is not packed either.
    EXPECT_EQ(
        Archived(R"({"share":"share","path":"","items":[".hidden/보고서 4.txt","보고서 1.txt"]})",
                 "hidden.zip"),
        (std::set<std::string>{"보고서 1.txt"}));

    for (const char* body :
         {R"({"share":"share","items":["../outside"]})", R"({"share":"share","items":["a//b/.."]})",
          R"({"share":"share","items":[""]})", R"({"share":"share","items":[5]})"}) {
        EXPECT_EQ(Post("/api/zip", body).body, R"({"error":"badName"})") << body;
    }
}

} // namespace
} // namespace Velto::Corvane::Testing
