// Compiled only to give the precompiled headers a target of their own.
