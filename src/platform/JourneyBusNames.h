#pragma once

// The journey's names on the session bus, shared by the application that publishes it and the programs that
// read it: a change here is a change of the public interface.
namespace quendle2::JourneyBusNames {

inline constexpr char application[] = "org.quendle2.Quendle2";
/// The demo's, so that it and the application can run at once.
inline constexpr char demo[] = "org.quendle2.Quendle2Demo";
inline constexpr char objectPath[] = "/org/quendle2/Quendle2";
inline constexpr char interface[] = "org.quendle2.Quendle2.Journey";
/// The error a destination that is not a stop ahead is refused with.
inline constexpr char unknownStopError[] = "org.quendle2.Quendle2.Error.UnknownStop";

} // namespace quendle2::JourneyBusNames
