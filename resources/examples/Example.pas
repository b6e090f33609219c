unit Example;

interface

uses
  SysUtils, Classes;

const
  MaxItems = 100; { a brace comment }
  Greeting = 'Hello, world'; // a line comment

type
  TCounter = class(TObject)
  private
    FCount: Integer;
  public
    constructor Create;
    procedure Increment(AStep: Integer);
    function Value: Integer;
  end;

var
  Counter: TCounter;

implementation

constructor TCounter.Create;
begin
  inherited Create;
  FCount := 0;
end;

procedure TCounter.Increment(AStep: Integer);
begin
  if FCount + AStep <= MaxItems then
    Inc(FCount, AStep);
end;

function TCounter.Value: Integer;
begin
  Result := FCount;
end;

end.
