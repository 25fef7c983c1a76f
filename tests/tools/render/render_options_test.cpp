#include "tools/render/render_options.h"

#include <gtest/gtest.h>

#include <vector>

using namespace auralith::render;

namespace {

ParsedCommandLine Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "auralith-render");
  return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(RenderCommandLine, DefaultsAreTheApplicationsStart) {
  const ParsedCommandLine parsed = Parse({"Varrow Laptop", "in.wav", "out.wav"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const RenderOptions& o = *parsed.options;
  EXPECT_EQ(o.profile, "Varrow Laptop");
  EXPECT_EQ(o.input, "in.wav");
  EXPECT_EQ(o.output, "out.wav");
  EXPECT_EQ(o.contentMode, 1);
  EXPECT_FALSE(o.boost || o.kiro || o.processingOff || o.floatOutput);
  EXPECT_TRUE(o.dither);
  EXPECT_EQ(o.category, Category::BuiltIn);
  EXPECT_EQ(o.userEq, kDefaultUserEqRecord);
  EXPECT_EQ(o.seed, 1u);
}

TEST(RenderCommandLine, EveryOptionInBothSpellings) {
  const ParsedCommandLine parsed =
      Parse({"--mode", "movie", "--boost", "p.hvnp", "--kiro", "--off", "--category=headphones", "--eq",
             "0,3,15,4,1,57,0,32", "in.flac", "--seed=4294967295", "--no-dither", "--float", "out.wav"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const RenderOptions& o = *parsed.options;
  EXPECT_EQ(o.contentMode, 0);
  EXPECT_TRUE(o.boost && o.kiro && o.processingOff && o.floatOutput);
  EXPECT_FALSE(o.dither);
  EXPECT_EQ(o.category, Category::Headphones);
  EXPECT_EQ(o.userEq, (UserEqRecord{0, 3, 15, 4, 1, 57, 0, 32}));
  EXPECT_EQ(o.seed, 4294967295u);
  EXPECT_EQ(o.profile, "p.hvnp");
  EXPECT_EQ(o.input, "in.flac");

  // After "--" a name starting with a dash is a file.
  const ParsedCommandLine dashed = Parse({"--", "-odd.hvnp", "in.wav", "out.wav"});
  ASSERT_TRUE(dashed.options);
  EXPECT_EQ(dashed.options->profile, "-odd.hvnp");
}

TEST(RenderCommandLine, MalformedOptionsNameTheProblem) {
  struct Case {
    std::vector<const char*> args;
    const char* mentions;
  };
  const std::vector<Case> cases = {
      {{"--mode", "film", "p", "i", "o"}, "--mode"},
      {{"--category", "car", "p", "i", "o"}, "--category"},
      {{"--eq", "1,2,3,4,5,6,7", "p", "i", "o"}, "--eq"},
      {{"--eq", "1,2,3,4,5,6,7,8,9", "p", "i", "o"}, "--eq"},
      {{"--eq", "1,2,3,x,5,6,7,8", "p", "i", "o"}, "--eq"},
      {{"--eq", "1,2,3,4,5,6,7,", "p", "i", "o"}, "--eq"},
      {{"--seed", "-1", "p", "i", "o"}, "--seed"},
      {{"--seed", "12x", "p", "i", "o"}, "--seed"},
      {{"--volume", "p", "i", "o"}, "--volume"},
      {{"--boost=1", "p", "i", "o"}, "--boost"},
      {{"p", "i", "o", "--seed"}, "--seed"},
      {{"p", "i"}, "PROFILE INPUT OUTPUT"},
      {{"p", "i", "o", "x"}, "too many"},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = Parse(c.args);
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(RenderCommandLine, HelpWins) {
  EXPECT_TRUE(Parse({"--mode", "movie", "--help"}).help);
  EXPECT_TRUE(Parse({"-h"}).help);
}
