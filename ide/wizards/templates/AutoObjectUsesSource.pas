  ~UnitName~ in '~FileName~' {~ClassName~: CoClass}
