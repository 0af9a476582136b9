// Stands in for the host framework's unit of the same name when the wizards' output is compiled
// (tests/ide/wizards/pascal/CheckPascal.cmake): only what the generated units use.
unit Windows;

interface

implementation

end.
