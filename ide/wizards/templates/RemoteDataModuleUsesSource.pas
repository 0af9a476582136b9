{ ~FormName~: the ~Module~ of the service ~ServiceName~ }
  ~UnitName~ in '~FileName~' {~FormName~: ~Module~}
