#include "cli/AppCommands.h"

#include <cstdio>

#include "app/LanguageTable.h"
#include "app/Version.h"
#include "cli/Arguments.h"
#include "cli/Json.h"
#include "platform/ProgramPath.h"

namespace kx::cli {

int RunVersion(const std::vector<std::string>& words) {
    if (!words.empty()) return UsageError("usage: kxcard version");
    std::printf("%s\n", JsonObject()
                            .Add("program", kViewerExecutableName)
                            .Add("version", BuildVersionText())
                            .str()
                            .c_str());
    return 0;
}

int RunText(const std::vector<std::string>& words) {
    Arguments args(words, {"--program-dir", "--language"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 2)
        return UsageError("usage: kxcard text KEY SECTION [--program-dir DIR] [--language NAME]");
    const std::string& section = args.positional()[1];
    if (section != "0" && section != "1" && section != "2")
        return UsageError("SECTION must be 0, 1 or 2");

    LanguageTable table;
    table.Select(args.Option("--language").value_or(std::string(kViewerLanguage)),
                 args.Option("--program-dir").value_or(ExecutableFolder().string()));
    const std::string& text = table.Text(args.positional()[0], section[0] - '0');
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
}

}  // namespace kx::cli
