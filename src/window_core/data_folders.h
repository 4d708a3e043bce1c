#pragma once

#include <QString>

namespace quorvel {

// The folder of the example tests of a program whose executable lies in `application_dir`:
// "examples" beside the executable when it holds at least one ".flt" file (the build tree,
// where the build copies them next to the program), else the installed layout
// "<prefix>/share/quorvel/examples" for "<prefix>/bin". The installed path is also the answer
// when neither exists; ExamplesAvailable tells whether it holds any test.
QString ExamplesFolderFor(const QString& application_dir);

// Whether `folder` holds at least one ".flt" file (any letter case of the extension).
bool ExamplesAvailable(const QString& folder);

}  // namespace quorvel
