#pragma once
// The program's port settings that reach the simulated module as it is configured
// now: its pseudo-terminal, rate, parity, stop bits, address and address length.
// Header only, so that the simulator itself does not depend on the program's link.
#include <string>

#include "Simulator.h"
#include "link/NetRS485prg.h"

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

}  // namespace z580sim
