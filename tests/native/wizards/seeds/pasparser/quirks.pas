 {open
(*)
//x
class a class
<=<>>=:=