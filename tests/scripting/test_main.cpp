// Test entry point for binaries that use the script engine: the engine can be initialised only
// once per process, so it is started here, around all tests, rather than per fixture.
#include <gtest/gtest.h>

#include "scripting/script_host.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  quorvel::ScriptEngineInit engine;
  return RUN_ALL_TESTS();
}
