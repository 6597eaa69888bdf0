#pragma once
// Registry entries of the simulation server classes (QuorvaneSim.exe /RegServer,
// /UnregServer). Runs on the main thread before any class object is registered.
#include <windows.h>

namespace sim {

// Class ids of the two simulation servers.
extern const CLSID CLSID_QuorvaneSimulation;          // Quorvane.Simulation.1 (hierarchical)
extern const CLSID CLSID_QuorvaneSimulationFlat;      // Quorvane.SimulationFlat.1 (flat)
extern const CLSID CLSID_QuorvaneSimulationNoBrowse;  // Quorvane.SimulationNoBrowse.1 (no browsing)
extern const CLSID CLSID_QuorvaneSimulationDA1;       // Quorvane.SimulationDA1.1 (DA 1.0 only)
// Quorvane.SimulationSolo.1: the hierarchical class served by a process of its own
// (QuorvaneSim.exe /Solo), with its own control tags.
extern const CLSID CLSID_QuorvaneSimulationSolo;

// da1Only: list the DA 2.0 classes under the DA 1.0 category only (for clients that must
// fall back to DA 1.0 enumeration); otherwise under DA 2.0 only. extras: also register the
// no-browse, the DA 1.0 and the own-process class (the DA 1.0 one always under DA 1.0 only); without it
// they are removed. The classic two classes stay what clients list by default.
HRESULT RegisterServer(bool da1Only, bool extras);
HRESULT UnregisterServer();

}  // namespace sim
