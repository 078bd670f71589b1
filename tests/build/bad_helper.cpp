extern "C" __declspec(dllexport) int BadHelper() { return 1; }
