Sample global macro storage of the Macro Toolbox demo add-on.
