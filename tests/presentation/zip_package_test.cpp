#include "presentation/zip_package.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lamina::presentation {
namespace {

struct Member {
  std::string name;
  std::string data;
  zip_int32_t method = ZIP_CM_STORE;
};

// The bytes of a zip holding members, written in memory.
std::vector<std::uint8_t> zipBytes(const std::vector<Member>& members) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(source);
  zip_t* z = zip_open_from_source(source, ZIP_TRUNCATE, &error);
  for (const Member& m : members) {
    const zip_int64_t i =
        zip_file_add(z, m.name.c_str(), zip_source_buffer(z, m.data.data(), m.data.size(), 0), 0);
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), m.method, 0);
  }
  EXPECT_EQ(zip_close(z), 0);
  std::vector<std::uint8_t> bytes;
  zip_stat_t st;
  if (zip_source_stat(source, &st) == 0 && zip_source_open(source) == 0) {
    bytes.resize(static_cast<std::size_t>(st.size));
    EXPECT_EQ(zip_source_read(source, bytes.data(), bytes.size()),
              static_cast<zip_int64_t>(bytes.size()));
    zip_source_close(source);
  }
  zip_source_free(source);
  zip_error_fini(&error);
  return bytes;
}

TEST(ZipPackage, MembersAreReadOrRefusedForTheirReason) {
  const std::string intact = "stored text that stays intact";
  std::vector<std::uint8_t> bytes =
      zipBytes({{"Slide.xml", "<s/>"},
                {"cut.xml", "stored text that is damaged"},
                {"bomb.xml", std::string(4u << 20, ' '), ZIP_CM_DEFLATE},
                {"after.xml", intact}});
  // One flipped byte in a stored member breaks only that member's checksum.
  const std::string flat(bytes.begin(), bytes.end());
  const std::size_t at = flat.find("is damaged");
  ASSERT_NE(at, std::string::npos);
  bytes[at] ^= 0x20;

  ZipPackage package = ZipPackage::openMemory(bytes);
  ASSERT_TRUE(package.isOpen());
  std::string out = "stale";
  EXPECT_EQ(package.read("slide.xml", out), MemberResult::missing);
  EXPECT_EQ(package.read("slide.xml", out, NameMatch::anyCase), MemberResult::ok);
  EXPECT_EQ(out, "<s/>");
  EXPECT_EQ(package.read("cut.xml", out), MemberResult::unreadable);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(package.read("bomb.xml", out), MemberResult::overBounds);
  EXPECT_EQ(package.read("after.xml", out), MemberResult::ok);
  EXPECT_EQ(out, intact);
  EXPECT_FALSE(package.damaged());

  // The optional form folds both failures into damaged().
  EXPECT_FALSE(package.member("missing.xml"));
  EXPECT_FALSE(package.damaged());
  EXPECT_FALSE(package.member("cut.xml"));
  EXPECT_TRUE(package.damaged());
}

}  // namespace
}  // namespace lamina::presentation
