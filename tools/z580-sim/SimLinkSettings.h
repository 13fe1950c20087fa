#pragma once
// The program's port settings that reach the simulated module as it is configured
// now: its pseudo-terminal, rate, parity, stop bits, address and address length.
// Header only, so that the simulator itself does not depend on the program's link.
#include <functional>
#include <memory>
#include <string>

#include "Simulator.h"
#include "link/NetRS485prg.h"
#include "platform/Registry.h"

namespace z580sim {

inline void MatchPortSettings(Elements::NetRS485prg& settings, const Simulator& sim) {
  const LineSettings line = sim.CurrentLine();
  settings.SetParameterValue("Port", sim.SlavePath());
  settings.SetParameterValue("bPS", std::to_string(line.baud));
  settings.SetParameterValue("LEn", std::to_string(line.dataBits));
  settings.SetParameterValue("PrtY", line.parity == Parity::Even  ? "Четность"
                                     : line.parity == Parity::Odd ? "Нечетность"
                                                                  : "Отсутствует");
  settings.SetParameterValue("Sbit", std::to_string(line.stopBits));
  settings.SetParameterValue("A.Len", std::to_string(sim.CurrentAddressBits()));
  settings.SetParameterValue("Addr", std::to_string(sim.CurrentAddress()));
}

// A module of the model on a pseudo-terminal at 115200 baud, its parameters taken
// from the data file at dataPath, and the program's stored port settings (read when
// a document makes its link) pointing at it. prepare runs before the module starts.
// Null with the reason in error when it cannot start.
inline std::unique_ptr<Simulator> StartModuleForProgram(int model, const std::string& dataPath, std::string* error,
                                                        const std::function<void(Simulator&)>& prepare = {}) {
  ParameterTable table;
  if (!LoadTableFromDescriptionPath(model, dataPath, table, error)) return nullptr;
  SimConfig config;
  config.model = model;
  config.line.baud = 115200;
  auto sim = std::make_unique<Simulator>(config, std::move(table));
  if (prepare) prepare(*sim);
  if (!sim->Start(error)) return nullptr;
  WriteProgramString("port_path", sim->SlavePath());
  WriteProgramDword("baud_rate", 115200);
  WriteProgramDword("byte_size", 8);
  WriteProgramDword("stop_bits", 1);
  WriteProgramDword("parity_scheme", 3);
  WriteProgramDword("address", config.address);
  WriteProgramDword("address_length", 8);
  return sim;
}

}  // namespace z580sim
