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
