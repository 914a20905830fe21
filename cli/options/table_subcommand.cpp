#include "options/table_subcommand.h"

#include "options/command_table.h"

#include <string_view>

namespace tolvane::cli {

CLI::App* AddTableSubcommand(CLI::App& parent, Command command) {
    const CommandTraits& row = TraitsOf(command);
    const std::string_view name = row.name;
    const std::size_t space = name.rfind(' ');
    const std::string_view word = space == std::string_view::npos ? name : name.substr(space + 1);
    return parent.add_subcommand(std::string(word), row.summary);
}

}  // namespace tolvane::cli
