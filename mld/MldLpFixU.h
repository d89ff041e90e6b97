// TMldLpPatch: rewrites the hardware-loop proxy events of an MLD file into loop events.
#pragma once
