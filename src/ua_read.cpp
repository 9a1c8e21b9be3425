// Upper-air data files: file forms, headers and the report writer.
