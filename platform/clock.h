#pragma once
// The local calendar date and time of day.
namespace lamina::platform {

struct LocalTime {
  int year, month, day, dayOfWeek;  // dayOfWeek: 0 = Sunday
  int hour, minute, second, millisecond;
};

LocalTime localTime();

}  // namespace lamina::platform
