// A library the probe expert depends on, which lies only beside the expert: the environment must
// load the expert so that its own folder is searched for it.
extern "C" __declspec(dllexport) int ProbeHelperAnswer() { return 42; }
