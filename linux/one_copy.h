// One running copy per configuration folder: a second copy reading the same
// conf.txt would start every gesture's program twice. Copies with conf.txt
// files of their own run side by side. The claim is a name on the session
// bus, which the bus gives back when the process ends, however it ends.
#pragma once

// Claims the folder of `conf_path` for this process until it ends;
// `on_second_start` then runs on the main loop at each later start for the
// same folder. Returns false when a running copy holds it already (and has
// been told); true otherwise, also when the folder or the bus cannot be
// reached (better two copies than none).
bool claim_conf_folder(const char *conf_path, void (*on_second_start)());
