// What the GUI tests do with the program, one scenario per test.
#pragma once

#include <string>

namespace gui {

// Runs scenario `name` against the program at `program`; throws DriverFailure when an
// expectation fails. False when there is no such scenario.
bool RunScenario(const std::string& name, const std::wstring& program);

}  // namespace gui
