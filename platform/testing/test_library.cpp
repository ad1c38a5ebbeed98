// A library for the loader's tests: one exported function with a known answer.
extern "C" __declspec(dllexport) int RigwrightTestAnswer() { return 42; }
