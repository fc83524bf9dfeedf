// oculant-cli list: the frames found among the HID interfaces.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "base/JsonText.h"
#include "cli/Cli.h"
#include "session/BackendSet.h"
#include "link/EnumerationProblemText.h"
#include "link/HIDTalk.h"

namespace oculant::cli {

namespace {

std::string hex(unsigned value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
    return buf;
}

}  // namespace

int runList(CommandContext& ctx)
{
    const bool json = ctx.options.has("json");
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli list: unexpected argument '" << ctx.args.front() << "'\n";
        return kExitUsage;
    }
    std::string error;
    std::unique_ptr<BackendSet> backends = makeBackends(backendOptions(ctx.global), error);
    if (!backends) {
        ctx.err << "oculant-cli: " << error << "\n";
        return kExitFailed;
    }
    HIDTalk talk(backends->composite, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();

    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const QuillonDevice& d : talk.devices())
            list.push_back({{"path", d.path},
                            {"vendorId", d.vendorId},
                            {"productId", d.productId},
                            {"inputReportId", d.inputReportId},
                            {"outputReportId", d.outputReportId},
                            {"inputReportLength", d.inputReportByteLength},
                            {"outputReportLength", d.outputReportByteLength}});
        ctx.out << jsonText(list) << "\n";
    } else {
        for (const QuillonDevice& d : talk.devices())
            ctx.out << d.path << "  vendor " << hex(d.vendorId, 4) << "  product " << hex(d.productId, 4)
                    << "  input report " << hex(d.inputReportId, 2) << " (" << d.inputReportByteLength
                    << " bytes)  output report " << hex(d.outputReportId, 2) << " (" << d.outputReportByteLength
                    << " bytes)\n";
        if (talk.devices().empty() && talk.enumerationProblems().empty())
            ctx.out << "No touch frame found.\n";
    }
    for (const EnumerationProblem& p : talk.enumerationProblems()) {
        ctx.err << enumerationProblemText(p) << "\n";
        if (const auto fix = enumerationProblemFix(p))
            ctx.err << "  " << *fix << "\n";
    }
    return talk.devices().empty() && !talk.enumerationProblems().empty() ? kExitNoFrame : kExitOk;
}

}  // namespace oculant::cli
