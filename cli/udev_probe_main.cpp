// oculant-udev-probe PATH: what the udev rule runs as root for every hidraw event. It links the
// descriptor parser and nothing else (no database, Qt or network library), and writes with
// write(2) rather than iostreams, whose locale set-up was most of its start: a hot-plug costs
// about a millisecond more than starting any program.
#include <unistd.h>

#include "hid/UdevProbe.h"

namespace {

void writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const oculant::FrameProbeAnswer answer = oculant::answerFrameProbe(
        std::vector<std::string>(argv + 1, argv + argc),
        "usage: oculant-udev-probe PATH   (a report_descriptor file or a hidraw sysfs folder)");
    writeAll(STDOUT_FILENO, answer.out);
    writeAll(STDERR_FILENO, answer.err);
    return answer.status;
}
