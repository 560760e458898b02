#pragma once
// The display's refresh rate as the report states it.

namespace corvalis {

class TestWindow;

// Measures the display refresh rate on the window into refreshRate; 0 (unknown) outside
// 45..220 Hz.
void measureRefreshRate(const TestWindow& window);

}  // namespace corvalis
