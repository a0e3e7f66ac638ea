#include "OrderCommand.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "order/OrderExport.h"
#include "order/OrderNames.h"
#include "order/OrderSummary.h"

#include "StrictNumber.h"

namespace cli {

const char* const kOrderSynopsis =
    "order [--to DIR] [--pattern P] [--quality Q|original] [--existing number|overwrite|skip] PHOTO...";
const char* const kOrderHelp =
    "cuts every PHOTO by the box its sidecar keeps into DIR (default: a prints folder beside each\n"
    "      photo), named by P (tokens {name}, {preset}, {n}; default {name}-{preset}.jpg; its\n"
    "      extension names the format) at quality Q (default 90); 'original' moves a JPEG's blocks\n"
    "      for a rectangle box on its block grid and keeps each photo's own quality otherwise.\n"
    "      Without --existing, names that exist stop the command before anything is written.\n"
    "      Prints a line a photo.";

namespace {

constexpr int kDefaultQuality = 90;

int Fail(const std::string& text) {
    std::fprintf(stderr, "snipwell-cli: order: %s\n", text.c_str());
    return 1;
}

const std::map<std::string_view, order::ExistingNames> kExistingWords = {
    {"number", order::ExistingNames::Number},
    {"overwrite", order::ExistingNames::Overwrite},
    {"skip", order::ExistingNames::Skip},
};

// The options and photos; the error text, empty when they are sound.
std::string ParseOrderArguments(int argc, char** argv, order::ExportOptions& options,
                                std::vector<std::string>& photos) {
    options.quality = kDefaultQuality;
    options.pattern = order::kDefaultPattern;
    for (int i = 0; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (!word.starts_with("--")) {
            photos.emplace_back(word);
            continue;
        }
        if (i + 1 >= argc) return std::string(word) + " needs a value";
        const std::string_view value = argv[++i];
        if (word == "--to") {
            if (value.empty()) return "--to needs a folder";
            options.destination = value;
        } else if (word == "--pattern") {
            options.pattern = value;
        } else if (word == "--quality" && value == "original") {
            options.quality = order::kQualityAsOriginal;
        } else if (word == "--quality") {
            const auto quality = rastertool::ParseInteger(value, 1, 100);
            if (!quality) return "--quality needs a number 1..100 or original, not '" + std::string(value) + "'";
            options.quality = int(*quality);
        } else if (word == "--existing") {
            const auto found = kExistingWords.find(value);
            if (found == kExistingWords.end()) {
                return "--existing takes number, overwrite or skip, not '" + std::string(value) + "'";
            }
            options.existing = found->second;
        } else {
            return "unknown option " + std::string(word);
        }
    }
    if (photos.empty()) return "names no photo (see --help)";
    return {};
}

}  // namespace

int RunOrderCommand(int argc, char** argv) {
    order::ExportOptions options;
    std::vector<std::string> photos;
    if (std::string error = ParseOrderArguments(argc, argv, options, photos); !error.empty()) return Fail(error);
    order::OrderExport exporter(options);
    const order::OrderPlan plan = exporter.Plan(photos);
    if (!plan.problem.empty()) return Fail(plan.problem);
    if (!plan.clashes.empty()) {
        std::string text = "these files exist already; nothing was written (use --existing number|overwrite|skip):";
        for (const std::string& clash : plan.clashes) text += "\n  " + clash;
        return Fail(text);
    }
    const order::ExportOutcome outcome = exporter.Run(plan);
    std::fputs(order::SummaryText(outcome).c_str(), stdout);
    if (!outcome.AnyFailed()) return 0;
    return Fail(std::to_string(outcome.NotExported()) + " of " + std::to_string(outcome.photos.size()) +
                " photos not exported" + (outcome.stopReason.empty() ? "" : ": " + outcome.stopReason));
}

}  // namespace cli
