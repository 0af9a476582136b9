class procedure TEventSourceReport.Report(EventType: Word; EventId: DWORD|+SkipCategory|; Category: Word|-SkipCategory|;
  const Strings: array of string);
var
  Source: THandle;
  Texts: array of PChar;
  I: Integer;
begin
  Source := RegisterEventSource(nil, EventSourceName);
  if Source = 0 then
    Exit;
  try
    SetLength(Texts, Length(Strings));
    for I := 0 to High(Strings) do
      Texts[I] := PChar(Strings[I]);
|+SkipCategory|    ReportEvent(Source, EventType, Category, EventId, nil, Length(Texts), 0, Pointer(Texts), nil);
|-SkipCategory||+SkipHasCategory|    ReportEvent(Source, EventType, 0, EventId, nil, Length(Texts), 0, Pointer(Texts), nil);
|-SkipHasCategory|  finally
    DeregisterEventSource(Source);
  end;
end;
