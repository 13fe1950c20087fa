#pragma once
// The tests' one way to start a simulated module, and to point the program's stored
// port settings at it. Header only: only the suites that link the simulator use it.
// Both fail the test fatally when the module cannot start: call them under
// ASSERT_NO_FATAL_FAILURE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "Simulator.h"
#include "platform/Registry.h"

namespace testsupport {

enum class SimTable {
  BuiltIn,   // the simulator's own parameters for the model
  DataFile,  // the model's description in the program's data file of this build
};

// A module of config.model on a pseudo-terminal, into `sim` (a module there before
// is stopped first). prepare runs before the module starts.
inline void StartSimModule(std::unique_ptr<z580sim::Simulator>& sim, const z580sim::SimConfig& config,
                           SimTable table = SimTable::BuiltIn,
                           const std::function<void(z580sim::Simulator&)>& prepare = {}) {
  if (sim) sim->Stop();
  sim.reset();
  z580sim::ParameterTable parameters;
  std::string error;
  if (table == SimTable::DataFile) {
    const char* build = std::getenv("Z580_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "Z580_BUILD_DIR is not set";
    ASSERT_TRUE(z580sim::LoadTableFromDescriptionPath(config.model, std::string(build) + "/app/ui/zt580.dat",
                                                      parameters, &error))
        << error;
  } else {
    parameters = z580sim::BuiltInTable(config.model);
  }
  sim = std::make_unique<z580sim::Simulator>(config, std::move(parameters));
  if (prepare) prepare(*sim);
  ASSERT_TRUE(sim->Start(&error)) << error;
}

// A module of the model as the program meets it: its parameters from the data file,
// at 115200 baud, and the program's stored port settings (read when a document
// makes its link) pointing at it.
inline void StartModuleForProgram(std::unique_ptr<z580sim::Simulator>& sim, int model,
                                  const std::function<void(z580sim::Simulator&)>& prepare = {}) {
  z580sim::SimConfig config;
  config.model = model;
  config.line.baud = 115200;
  ASSERT_NO_FATAL_FAILURE(StartSimModule(sim, config, SimTable::DataFile, prepare));
  WriteProgramString("port_path", sim->SlavePath());
  WriteProgramDword("baud_rate", config.line.baud);
  WriteProgramDword("byte_size", 8);
  WriteProgramDword("stop_bits", 1);
  WriteProgramDword("parity_scheme", 3);
  WriteProgramDword("address", config.address);
  WriteProgramDword("address_length", 8);
}

}  // namespace testsupport
