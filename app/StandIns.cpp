// STAND-INS: temporary bodies for pieces that land later. Each section is deleted, whole, when the
// real implementation arrives in its own files; nothing else may depend on what they do.
