// Defaults files: program sections, tags and conditional sections.
