// The application shell around the main window: its command line, the logo decoder and the
// exception policy.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <stdexcept>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/JpegFile.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

const std::filesystem::path kLogo = std::filesystem::path(OCULANT_SOURCE_DIR) / "tests/data/app/logo.jpg";

TEST(AppCommandLine, options_and_refusals)
{
    const struct {
        std::vector<std::string> args;
        bool help, virtualFrame;
        std::string profile;
        bool error;
    } cases[] = {
        {{}, false, false, "", false},
        {{"--virtual-frame"}, false, true, "", false},
        {{"--virtual-frame=frames/wide.ini"}, false, true, "frames/wide.ini", false},
        {{"-h"}, true, false, "", false},
        {{"--help", "--virtual-frame"}, true, true, "", false},
        {{"--virtual-frame="}, false, false, "", true},  // a profile option without the profile
        {{"--virtual"}, false, false, "", true},
        {{"frame.ini"}, false, false, "", true},
    };
    for (const auto& c : cases) {
        const AppOptions o = parseAppArguments(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(o.help, c.help) << shown;
        EXPECT_EQ(o.virtualFrame, c.virtualFrame) << shown;
        EXPECT_EQ(o.virtualProfile, c.profile) << shown;
        EXPECT_EQ(!o.error.empty(), c.error) << shown;
    }
    EXPECT_NE(appUsage().find("--virtual-frame[=PROFILE]"), std::string::npos);
}

// The window program's options as a user writes them: a value after its option or joined by '=',
// the last of a repeated option, "--" before what is not an option, and a refusal that names
// what was wrong.
TEST(AppCommandLine, values_either_way_and_what_is_refused)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--replay", "a.cap", "--replay-speed", "4", "--open-log", "x.log"},
          {"--replay=a.cap", "--replay-speed=4", "--open-log=x.log"},
          {"--replay=first.cap", "--open-log", "x.log", "--replay", "a.cap", "--replay-speed", "4"}}) {
        const AppOptions o = parseAppArguments(args);
        EXPECT_EQ(o.error, "") << args[0];
        EXPECT_EQ(o.replayFile, "a.cap") << args[0];
        EXPECT_EQ(o.replaySpeed, 4.0) << args[0];
        EXPECT_EQ(o.openLog, "x.log") << args[0];
        EXPECT_FALSE(o.virtualFrame);
    }
    // --virtual-frame=PROFILE as an option, but not as another option's value nor after "--".
    AppOptions o = parseAppArguments({"--open-log", "--virtual-frame=x.ini", "--virtual-frame=wide.ini"});
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.openLog, "--virtual-frame=x.ini");
    EXPECT_TRUE(o.virtualFrame);
    EXPECT_EQ(o.virtualProfile, "wide.ini");
    o = parseAppArguments({"--", "--virtual-frame=x.ini"});
    EXPECT_FALSE(o.virtualFrame);
    EXPECT_NE(o.error.find("unknown argument '--virtual-frame=x.ini'"), std::string::npos) << o.error;

    for (const char* option : {"--version", "-V"}) {
        o = parseAppArguments({option});
        EXPECT_TRUE(o.version) << option;
        EXPECT_EQ(o.error, "") << option;
    }
    // The help answers even beside a mistake, which it does not hide.
    o = parseAppArguments({"--bogus", "--help"});
    EXPECT_TRUE(o.help);
    EXPECT_NE(o.error.find("bogus"), std::string::npos) << o.error;

    const struct {
        std::vector<std::string> args;
        const char* named;  // in the error
    } refused[] = {
        {{"--replay"}, "--replay"},
        {{"--replay", "a.cap", "--replay-speed", "0"}, "--replay-speed"},
        {{"--replay", "a.cap", "--replay-speed=fast", "--replay-speed", "2"}, "fast"},
        {{"--replay-speed", "2"}, "--replay FILE"},
        {{"--open-log"}, "--open-log"},
        {{"--help=yes"}, "help"},
    };
    for (const auto& r : refused) {
        o = parseAppArguments(r.args);
        EXPECT_NE(o.error.find(r.named), std::string::npos) << r.args[0] << ": " << o.error;
    }

    // Every option the help shows is one the parser takes, with its value where it has one.
    const std::string usage = appUsage();
    size_t shown = 0;
    for (size_t at = usage.find("\n  -"); at != std::string::npos; at = usage.find("\n  -", at + 1)) {
        const size_t end = usage.find("  ", at + 3);
        std::string form = usage.substr(at + 3, end - at - 3);  // "--replay FILE[:N]", "-h, --help"
        if (const size_t comma = form.find(", "); comma != std::string::npos)
            form = form.substr(comma + 2);
        std::vector<std::string> args{form.substr(0, form.find_first_of(" ["))};
        if (form.find(' ') != std::string::npos)
            args.push_back("value");
        if (args[0] == "--replay-speed")
            args = {"--replay", "a.cap", "--replay-speed", "2"};
        EXPECT_EQ(parseAppArguments(args).error, "") << form;
        ++shown;
    }
    EXPECT_GE(shown, 6u) << usage;  // the six of today at least
}

TEST(AppLogo, decodes_the_picture_into_rgb_rows)
{
    const JpegResult r = decodeJpegFile(kLogo.string());
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.image.width, 16);
    ASSERT_EQ(r.image.height, 8);
    ASSERT_EQ(r.image.pixels.size(), 16u * 8u * 3u);
    auto pixel = [&](int x, int y) { return &r.image.pixels[size_t(y * 16 + x) * 3]; };
    // Left half red, right half blue, within JPEG's loss.
    EXPECT_GT(pixel(0, 0)[0], 230);
    EXPECT_LT(pixel(0, 0)[2], 30);
    EXPECT_LT(pixel(15, 7)[0], 30);
    EXPECT_GT(pixel(15, 7)[2], 230);
}

TEST(AppLogo, damaged_or_missing_pictures_are_reported_not_fatal)
{
    std::vector<uint8_t> bytes = test::readFileBytes(kLogo);
    ASSERT_GT(bytes.size(), 100u);
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 20);  // cut inside the headers
    JpegResult r = decodeJpeg(header.data(), header.size());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(r.image.pixels.empty());

    const std::string text = "GIF89a, not a JPEG";
    r = decodeJpeg(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(decodeJpeg(nullptr, 0).ok);
    r = decodeJpegFile("/nonexistent/logo.jpg");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("/nonexistent/logo.jpg"), std::string::npos);
}

class Throwing : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("handler failed");
        ++handled;
        return QObject::event(e);
    }
};

TEST(AppExceptionPolicy, an_exception_from_a_handler_ends_the_process_with_255_and_its_text)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Throwing target;
            QEvent event(QEvent::User);
            QCoreApplication::sendEvent(&target, &event);
        },
        ::testing::ExitedWithCode(255), "oculant: handler failed");
}

TEST(AppExceptionPolicy, events_without_exceptions_pass_through)
{
    Throwing target;
    QEvent event(QEvent::Type(QEvent::User + 1));
    QCoreApplication::sendEvent(&target, &event);
    EXPECT_EQ(target.handled, 1);
}

}  // namespace
}  // namespace oculant
