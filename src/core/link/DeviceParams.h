#pragma once

// The instrument parameter record (filled in by the link code).
struct DEVICE_PARAMS {
};
